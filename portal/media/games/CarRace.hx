import flash.display.Sprite;
import flash.events.Event;
import flash.events.MouseEvent;
import flash.ui.Keyboard;

/** Drive the little car along the road: arrows change lanes, collect the coins
 * and steer round the cones. */
class CarRace extends Sprite {
	static var lanes = [195, 275, 355];

	var road = new Sprite();
	var car = new Sprite();
	var lane = 1;
	var things:Array<{s:Sprite, coin:Bool, lane:Int}> = [];
	var frame = 0;
	var delay = 0;
	var score:flash.text.TextField;
	var coins = 0;
	var wobble = 0;

	public function new() {
		super();
		graphics.beginFill(0x7CB342);
		graphics.drawRect(0, 0, Kit.W, Kit.H);
		graphics.endFill();
		addChild(road);
		var g = car.graphics;
		g.beginFill(0x222222);
		g.drawRoundRect(-26, -30, 12, 20, 6, 6);
		g.drawRoundRect(14, -30, 12, 20, 6, 6);
		g.drawRoundRect(-26, 12, 12, 20, 6, 6);
		g.drawRoundRect(14, 12, 12, 20, 6, 6);
		g.endFill();
		g.beginFill(0xE8383D);
		g.drawRoundRect(-20, -40, 40, 80, 18, 18);
		g.endFill();
		g.beginFill(0xB3E5FC);
		g.drawRoundRect(-14, -24, 28, 16, 6, 6);
		g.endFill();
		g.beginFill(0xFFE45C);
		g.drawCircle(-12, -38, 4);
		g.drawCircle(12, -38, 4);
		g.endFill();
		car.x = lanes[lane];
		car.y = Kit.H - 70;
		addChild(car);
		score = Kit.scoreBox(this, Kit.W - 125, 10, 0xFFB400);
		Kit.arrowHint(graphics, 10, Kit.H - 40, [0, 2]);
		addEventListener(MouseEvent.MOUSE_DOWN, function(_) {
			if (mouseX < car.x - 20 && lane > 0) lane--;
			else if (mouseX > car.x + 20 && lane < 2) lane++;
		});
		addEventListener(Event.ENTER_FRAME, tick);
	}

	function tick(_) {
		frame++;
		var speed = 6;
		var g = road.graphics;
		g.clear();
		g.beginFill(0x546E7A);
		g.drawRect(150, 0, 250, Kit.H);
		g.endFill();
		g.beginFill(0xFFFFFF);
		g.drawRect(150, 0, 6, Kit.H);
		g.drawRect(394, 0, 6, Kit.H);
		var y = (frame * speed) % 60 - 60;
		while (y < Kit.H) {
			g.drawRect(233, y, 4, 30);
			g.drawRect(313, y, 4, 30);
			y += 60;
		}
		g.endFill();
		// trees beside the road roll by
		for (k in 0...5) {
			var ty = ((frame * speed + k * 90) % (Kit.H + 80)) - 40;
			g.beginFill(0x2E7D32);
			g.drawCircle(80, ty, 26);
			g.drawCircle(470, (ty + 45) % (Kit.H + 80) - 40, 22);
			g.endFill();
		}
		if (delay > 0)
			delay--;
		else if (Kit.isDown(Keyboard.LEFT) && lane > 0) {
			lane--;
			delay = 8;
		} else if (Kit.isDown(Keyboard.RIGHT) && lane < 2) {
			lane++;
			delay = 8;
		}
		car.x += (lanes[lane] - car.x) * 0.3;
		car.rotation = (lanes[lane] - car.x) * 0.3 + (wobble > 0 ? Math.sin(wobble) * 10 : 0);
		if (wobble > 0)
			wobble--;
		if (frame % 40 == 0) {
			var coin = Kit.rand(3) > 0;
			var s = new Sprite();
			if (coin) {
				s.graphics.beginFill(0xFFC107);
				s.graphics.drawCircle(0, 0, 16);
				s.graphics.endFill();
				Kit.star(s.graphics, 0, 0, 10, 0xFFF59D);
			} else {
				s.graphics.beginFill(0xFF6D00);
				s.graphics.moveTo(0, -22);
				s.graphics.lineTo(16, 18);
				s.graphics.lineTo(-16, 18);
				s.graphics.endFill();
				s.graphics.beginFill(0xFFFFFF);
				s.graphics.drawRect(-9, -2, 18, 6);
				s.graphics.endFill();
			}
			var l = Kit.rand(3);
			s.x = lanes[l];
			s.y = -30;
			addChildAt(s, 2);
			things.push({s: s, coin: coin, lane: l});
		}
		for (t in things.copy()) {
			t.s.y += speed;
			if (t.coin)
				t.s.scaleX = Math.cos(frame / 5);
			var hit = Math.abs(t.s.y - car.y) < 40 && Math.abs(t.s.x - car.x) < 34;
			if (hit && t.coin) {
				coins++;
				score.text = Std.string(coins);
				Kit.sparkle(this, t.s.x, t.s.y, 0xFFC107, 8);
			}
			if (hit && !t.coin)
				wobble = 20; // a bump sends the cone flying, the car shakes
			if (hit || t.s.y > Kit.H + 30) {
				things.remove(t);
				removeChild(t.s);
			}
		}
	}

	static function main() {
		Kit.start(new CarRace());
	}
}
